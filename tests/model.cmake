# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_model SOURCES tst_model.cpp LIBS corvane_model LABELS model)
corvane_add_test(tst_pathchecks SOURCES tst_pathchecks.cpp LIBS corvane_model LABELS model)
