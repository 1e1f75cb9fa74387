package com.kestrovatech.ui;

// A list model of one text column.
public class ListModelString extends ListModel {
    private static final int[] COLUMNS = {0};
    public ListModelString() { super(COLUMNS); }
    public void add(String s) { addToModel(new Object[] {s}); }
    public String get(int row) { return (String) getFromModel()[row]; }
}
