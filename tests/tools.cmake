# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_shredtool SOURCES tst_shredtool.cpp LIBS corvane_engine corvane_model LABELS tools)
add_dependencies(tst_shredtool corvane-shred)

corvane_add_test(tst_erasure SOURCES tst_erasure.cpp LIBS corvane_engine corvane_model LABELS root TIMEOUT 300)
add_dependencies(tst_erasure corvane-shred)

# The 4 GiB overwrite writes that much to the temp folder: its own entry, labelled slow, and
# skipped inside tst_erasure unless CORVANE_SLOW_TESTS is set.
add_test(NAME tst_erasure_large COMMAND tst_erasure largeFileIsOverwrittenToItsEnd)
set_tests_properties(tst_erasure_large PROPERTIES
    TIMEOUT 900
    LABELS "slow"
    ENVIRONMENT "CORVANE_SLOW_TESTS=1;QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg-config")
