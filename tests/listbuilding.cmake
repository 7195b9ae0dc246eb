corvane_add_test(tst_listbuilding SOURCES tst_listbuilding.cpp LIBS corvane_model LABELS model)
