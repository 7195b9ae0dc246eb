# SPDX-License-Identifier: GPL-3.0-or-later
# The updater end to end against a server on 127.0.0.1 that the test starts, with a key pair
# the test makes and an installation in a temporary prefix.
corvane_add_test(tst_updater SOURCES tst_updater.cpp
    LIBS corvane_app corvane_updater Qt6::Widgets Qt6::Network LABELS app TIMEOUT 180)
# The release tool is run as its publisher runs it.
add_dependencies(tst_updater corvane-sign-update)
