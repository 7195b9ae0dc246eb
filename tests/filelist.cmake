# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_filelist SOURCES tst_filelist.cpp
    LIBS corvane_ui Qt6::Widgets Qt6::DBus LABELS gui TIMEOUT 120)
