# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_listbuilding SOURCES tst_listbuilding.cpp LIBS corvane_model LABELS model)
