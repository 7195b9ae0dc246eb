# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_flatbutton SOURCES tst_flatbutton.cpp LIBS corvane_controls Qt6::Widgets LABELS gui)
corvane_add_test(tst_listchrome SOURCES tst_listchrome.cpp LIBS corvane_controls Qt6::Widgets LABELS gui)
