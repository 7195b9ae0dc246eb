# SPDX-License-Identifier: GPL-3.0-or-later
# Installs into a temporary root and checks what lands there.
corvane_add_test(tst_install SOURCES tst_install.cpp LABELS install TIMEOUT 600)
target_compile_definitions(tst_install PRIVATE
    CORVANE_CMAKE_COMMAND="${CMAKE_COMMAND}"
    CORVANE_CPACK_COMMAND="${CMAKE_CPACK_COMMAND}"
    CORVANE_BUILD_DIR="${PROJECT_BINARY_DIR}")
add_dependencies(tst_install corvane corvane-shred corvane_icon_pngs corvane_man_pages
    corvane_changelog)
