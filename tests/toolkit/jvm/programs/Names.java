// Sorting of names for test programs whose listings come in no fixed order.
public class Names {
    static void sort(String[] names) {
        for (int i = 0; i < names.length; i++)
            for (int j = i + 1; j < names.length; j++)
                if (names[j].compareTo(names[i]) < 0) {
                    String t = names[i];
                    names[i] = names[j];
                    names[j] = t;
                }
    }

    // The names sorted, separated by spaces.
    static String joined(String[] names) {
        sort(names);
        StringBuffer sb = new StringBuffer();
        for (int i = 0; i < names.length; i++) sb.append(i == 0 ? "" : " ").append(names[i]);
        return sb.toString();
    }
}
