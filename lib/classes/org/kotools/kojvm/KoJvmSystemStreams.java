package org.kotools.kojvm;

import java.io.PrintStream;
import org.kotools.ko.io.HandleInputStream;
import org.kotools.ko.io.HandleOutputStream;

public class KoJvmSystemStreams {
    private KoJvmSystemStreams() {}
    private static native long getSystemInStreamHandle();
    private static native long getSystemOutStreamHandle();
    private static native long getSystemErrStreamHandle();
    public static void setSystemStreamsSync() {
        System.setIn(new HandleInputStream(getSystemInStreamHandle()));
        System.setOut(printStream(getSystemOutStreamHandle()));
        System.setErr(printStream(getSystemErrStreamHandle()));
    }
    private static PrintStream printStream(long handle) { return new PrintStream(new HandleOutputStream(handle)); }
}
