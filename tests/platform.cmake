# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_platform SOURCES tst_platform.cpp LIBS corvane_platform)
