# SPDX-License-Identifier: GPL-3.0-or-later
# The start-up sequence, the welcome window with its newsletter, and the usage events. The
# network tests talk only to a server on 127.0.0.1 that each test starts.
corvane_add_test(tst_startup SOURCES tst_startup.cpp
    LIBS corvane_app Qt6::Widgets Qt6::Network LABELS gui TIMEOUT 120)
corvane_add_test(tst_welcome SOURCES tst_welcome.cpp
    LIBS corvane_app Qt6::Widgets Qt6::Network LABELS gui TIMEOUT 120)
