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
        System.setOut(new PrintStream(new HandleOutputStream(getSystemOutStreamHandle())));
        System.setErr(new PrintStream(new HandleOutputStream(getSystemErrStreamHandle())));
    }
}
