package com.kestrovatech;

// One entry of a list query: two lines of text.
public class CommonDialogs$ListItem {
    public String str1;
    public String str2;
    public CommonDialogs$ListItem(String str1, String str2) { this.str1 = str1; this.str2 = str2; }
}
