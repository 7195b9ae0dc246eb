# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_screenflow SOURCES tst_screenflow.cpp
    LIBS corvane_ui corvane_app Qt6::Widgets LABELS gui)
corvane_add_test(tst_cycle SOURCES tst_cycle.cpp
    LIBS corvane_ui Qt6::Widgets LABELS gui TIMEOUT 120)
