# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_home SOURCES tst_home.cpp
    LIBS corvane_ui corvane_app corvane_controls Qt6::Widgets LABELS gui TIMEOUT 120)
