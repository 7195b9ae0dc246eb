# SPDX-License-Identifier: GPL-3.0-or-later
corvane_add_test(tst_engine SOURCES tst_engine.cpp LIBS corvane_engine)
corvane_add_test(tst_shredrun SOURCES tst_shredrun.cpp LIBS corvane_engine)
corvane_add_test(tst_storage SOURCES tst_storage.cpp LIBS corvane_engine LABELS root)
corvane_add_test(tst_freespacewipe SOURCES tst_freespacewipe.cpp LIBS corvane_engine corvane_model LABELS root TIMEOUT 600)
