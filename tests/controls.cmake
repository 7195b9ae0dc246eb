# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_controls SOURCES tst_controls.cpp LIBS corvane_controls Qt6::Widgets LABELS gui)
