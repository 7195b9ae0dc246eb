# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_appcommandline SOURCES tst_appcommandline.cpp LIBS corvane_app LABELS app)
add_dependencies(tst_appcommandline corvane)
