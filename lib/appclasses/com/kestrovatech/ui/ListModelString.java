package com.kestrovatech.ui;

// A list model of one text column.
public class ListModelString extends ListModel {
    private static final int[] COLUMNS = {TYPE_STRING};
    public ListModelString() { init(COLUMNS); }
    public void add(String s) { addToModel(new Object[] {s}); }
    public void add(String[] items)
    {
        for (int i = 0; i < items.length; i++)
            add(items[i]);
    }
    public String[] get()
    {
        Object[] row = getFromModel();
        String[] out = new String[row.length];
        for (int i = 0; i < row.length; i++)
            out[i] = (String) row[i];
        return out;
    }
}
