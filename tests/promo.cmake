# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_promo SOURCES tst_promo.cpp LIBS corvane_promo corvane_pictures LABELS promo)
