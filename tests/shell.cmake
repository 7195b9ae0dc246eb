# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_settings SOURCES tst_settings.cpp
    LIBS corvane_app Qt6::Widgets Qt6::DBus LABELS gui TIMEOUT 120)
corvane_add_test(tst_otherapps SOURCES tst_otherapps.cpp
    LIBS corvane_otherapps corvane_ui Qt6::Widgets LABELS gui TIMEOUT 120)
