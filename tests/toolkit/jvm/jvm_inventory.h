// The built-in class set: every class with its superclass, its directly
// implemented interfaces, its number of methods and its natives (name and
// descriptor) in class-file order, which is the order of its native table.
#pragma once

#include <string>
#include <vector>

enum KoInventoryKind { KoClass, KoAbstract, KoInterface };

struct KoInventoryClass {
    const char* name;
    KoInventoryKind kind;
    const char* super; // "" for java/lang/Object
    std::vector<std::string> interfaces;
    unsigned methods;
    std::vector<std::string> natives;
};

inline const KoInventoryClass kBuiltInInventory[] = {
    // java/lang
    {"java/lang/AbstractMethodError", KoClass, "java/lang/IncompatibleClassChangeError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/ArithmeticException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/ArrayIndexOutOfBoundsException", KoClass, "java/lang/IndexOutOfBoundsException", {}, 3, {}},
    {"java/lang/ArrayStoreException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/AssertionError", KoClass, "java/lang/Error", {}, 8, {}},
    {"java/lang/Boolean", KoClass, "java/lang/Object", {"java/io/Serializable"}, 11, {}},
    {"java/lang/Byte", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 19, {"toString(B)Ljava/lang/String;", "parseByte(Ljava/lang/String;)B", "parseByte(Ljava/lang/String;I)B"}},
    {"java/lang/CharSequence", KoInterface, "java/lang/Object", {}, 4, {}},
    {"java/lang/Character", KoClass, "java/lang/Object", {"java/io/Serializable", "java/lang/Comparable"}, 36, {"isLowerCase(C)Z", "isUpperCase(C)Z", "isTitleCase(C)Z", "isDigit(C)Z", "isDefined(C)Z", "isLetter(C)Z", "isLetterOrDigit(C)Z", "isJavaLetter(C)Z", "isJavaLetterOrDigit(C)Z", "isJavaIdentifierStart(C)Z", "isJavaIdentifierPart(C)Z", "isUnicodeIdentifierStart(C)Z", "isUnicodeIdentifierPart(C)Z", "isIdentifierIgnorable(C)Z", "toLowerCase(C)C", "toUpperCase(C)C", "toTitleCase(C)C", "digit(CI)I", "getNumericValue(C)I", "isSpace(C)Z", "isSpaceChar(C)Z", "isWhitespace(C)Z", "isISOControl(C)Z", "getType(C)I", "forDigit(II)C", "getDirectionality(C)B", "isMirrored(C)Z"}},
    {"java/lang/Class", KoClass, "java/lang/Object", {"java/io/Serializable"}, 32, {"toString()Ljava/lang/String;", "desiredAssertionStatus()Z", "forName(Ljava/lang/String;)Ljava/lang/Class;", "forName(Ljava/lang/String;Ljava/lang/ClassLoader;)Ljava/lang/Class;", "newInstance()Ljava/lang/Object;", "isAssignableFrom(Ljava/lang/Class;)Z", "isInterface()Z", "isArray()Z", "isPrimitive()Z", "getName()Ljava/lang/String;", "getClassLoader()Ljava/lang/ClassLoader;", "getSuperclass()Ljava/lang/Class;", "getInterfaces()[Ljava/lang/Class;", "getComponentType()Ljava/lang/Class;", "getModifiers()I", "getSigners()[Ljava/lang/Object;", "getDeclaringClass()Ljava/lang/Class;", "getClasses()[Ljava/lang/Class;", "getFields()[Ljava/lang/reflect/Field;", "getMethods()[Ljava/lang/reflect/Method;", "getConstructors()[Ljava/lang/reflect/Constructor;", "getMethod(Ljava/lang/String;[Ljava/lang/Class;)Ljava/lang/reflect/Method;", "getConstructor([Ljava/lang/Class;)Ljava/lang/reflect/Constructor;", "getDeclaredClasses()[Ljava/lang/Class;", "getDeclaredFields()[Ljava/lang/reflect/Field;", "getDeclaredMethods()[Ljava/lang/reflect/Method;", "hashCode()I"}},
    {"java/lang/ClassCastException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/ClassCircularityError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/ClassFormatError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/ClassLoader", KoAbstract, "java/lang/Object", {}, 13, {"resolveClass(Ljava/lang/Class;)V", "findLoadedClass(Ljava/lang/String;)Ljava/lang/Class;", "getSystemResourceAsHandle(Ljava/lang/String;)J"}},
    {"java/lang/ClassNotFoundException", KoClass, "java/lang/Exception", {}, 5, {}},
    {"java/lang/CloneNotSupportedException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/Comparable", KoInterface, "java/lang/Object", {}, 1, {}},
    {"java/lang/Double", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 25, {"toString(D)Ljava/lang/String;", "parseDouble(Ljava/lang/String;)D", "isNaN(D)Z", "isInfinite(D)Z", "doubleToLongBits(D)J", "longBitsToDouble(J)D"}},
    {"java/lang/Error", KoClass, "java/lang/Throwable", {"java/io/Serializable"}, 4, {}},
    {"java/lang/Exception", KoClass, "java/lang/Throwable", {}, 4, {}},
    {"java/lang/ExceptionInInitializerError", KoClass, "java/lang/LinkageError", {}, 5, {}},
    {"java/lang/Float", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 26, {"toString(F)Ljava/lang/String;", "parseFloat(Ljava/lang/String;)F", "isNaN(F)Z", "isInfinite(F)Z", "floatToIntBits(F)I", "intBitsToFloat(I)F"}},
    {"java/lang/IllegalAccessError", KoClass, "java/lang/IncompatibleClassChangeError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/IllegalAccessException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/IllegalArgumentException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/IllegalMonitorStateException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/IllegalStateException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/IllegalThreadStateException", KoClass, "java/lang/IllegalArgumentException", {}, 2, {}},
    {"java/lang/IncompatibleClassChangeError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/IndexOutOfBoundsException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/InstantiationError", KoClass, "java/lang/IncompatibleClassChangeError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/InstantiationException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/Integer", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 25, {"toHexString(I)Ljava/lang/String;", "toOctalString(I)Ljava/lang/String;", "toBinaryString(I)Ljava/lang/String;", "toString(I)Ljava/lang/String;", "parseInt(Ljava/lang/String;I)I"}},
    {"java/lang/InternalError", KoClass, "java/lang/VirtualMachineError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/InterruptedException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/LinkageError", KoClass, "java/lang/Error", {"java/io/Serializable"}, 2, {}},
    {"java/lang/Long", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 18, {"toHexString(J)Ljava/lang/String;", "toSring(JI)Ljava/lang/String;", "toString(J)Ljava/lang/String;", "parseLong(Ljava/lang/String;I)J"}},
    {"java/lang/Math", KoClass, "java/lang/Object", {}, 28, {"sin(D)D", "cos(D)D", "tan(D)D", "asin(D)D", "acos(D)D", "atan(D)D", "sqrt(D)D", "ceil(D)D", "floor(D)D", "pow(DD)D", "round(F)I", "round(D)J", "abs(I)I", "abs(J)J", "abs(F)F", "abs(D)D"}},
    {"java/lang/NegativeArraySizeException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/NoClassDefFoundError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/NoSuchFieldError", KoClass, "java/lang/IncompatibleClassChangeError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/NoSuchFieldException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/NoSuchMethodError", KoClass, "java/lang/IncompatibleClassChangeError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/NoSuchMethodException", KoClass, "java/lang/Exception", {}, 2, {}},
    {"java/lang/NullPointerException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/Number", KoAbstract, "java/lang/Object", {"java/io/Serializable"}, 7, {}},
    {"java/lang/NumberFormatException", KoClass, "java/lang/IllegalArgumentException", {}, 2, {}},
    {"java/lang/Object", KoClass, "", {}, 12, {"getClass()Ljava/lang/Class;", "hashCode()I", "equals(Ljava/lang/Object;)Z", "clone()Ljava/lang/Object;", "notify()V", "notifyAll()V", "wait()V", "wait(J)V", "wait(JI)V"}},
    {"java/lang/OutOfMemoryError", KoClass, "java/lang/VirtualMachineError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/Runnable", KoInterface, "java/lang/Object", {}, 1, {}},
    {"java/lang/Runtime", KoClass, "java/lang/Object", {}, 9, {"getRuntime()Ljava/lang/Runtime;", "availableProcessors()I", "exit(I)V", "freeMemory()J", "totalMemory()J", "maxMemory()J", "gc()V", "traceMethodCalls(Z)V"}},
    {"java/lang/RuntimeException", KoClass, "java/lang/Exception", {}, 4, {}},
    {"java/lang/SecurityException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/Short", KoClass, "java/lang/Number", {"java/lang/Comparable"}, 19, {"toString(S)Ljava/lang/String;", "parseShort(Ljava/lang/String;)S", "parseShort(Ljava/lang/String;I)S"}},
    {"java/lang/StackOverflowError", KoClass, "java/lang/VirtualMachineError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/StackTraceElement", KoClass, "java/lang/Object", {"java/io/Serializable"}, 7, {"getFileName()Ljava/lang/String;", "getLineNumber()I", "getClassName()Ljava/lang/String;", "getMethodName()Ljava/lang/String;"}},
    {"java/lang/String", KoClass, "java/lang/Object", {"java/io/Serializable", "java/lang/Comparable", "java/lang/CharSequence"}, 59, {"bytesToCharArray([BIILjava/lang/String;)[C", "bytesToChar([C[BII)V", "getBytes(Ljava/lang/String;)[B", "getBytes()[B", "compareCharArrays([C[C)I", "equalsIgnoreCase(Ljava/lang/String;)Z", "compareToIgnoreCase(Ljava/lang/String;)I", "regionMatches(ILjava/lang/String;II)Z", "regionMatches(ZILjava/lang/String;II)Z", "startsWith(Ljava/lang/String;)Z", "endsWith(Ljava/lang/String;)Z", "hashCode()I", "indexOf(II)I", "lastIndexOf(II)I", "indexOf(Ljava/lang/String;I)I", "toLowerCase()Ljava/lang/String;", "toUpperCase()Ljava/lang/String;", "intern()Ljava/lang/String;"}},
    {"java/lang/StringBuffer", KoClass, "java/lang/Object", {"java/io/Serializable", "java/lang/CharSequence"}, 43, {}},
    {"java/lang/StringIndexOutOfBoundsException", KoClass, "java/lang/IndexOutOfBoundsException", {}, 3, {}},
    {"java/lang/System", KoClass, "java/lang/Object", {}, 12, {"setIn(Ljava/io/InputStream;)V", "setOut(Ljava/io/PrintStream;)V", "setErr(Ljava/io/PrintStream;)V", "currentTimeMillis()J", "arraycopy(Ljava/lang/Object;ILjava/lang/Object;II)V", "identityHashCode(Ljava/lang/Object;)I", "getProperty(Ljava/lang/String;)Ljava/lang/String;"}},
    {"java/lang/Thread", KoClass, "java/lang/Object", {"java/lang/Runnable"}, 24, {"currentThread()Ljava/lang/Thread;", "yield()V", "sleep(J)V", "start()V", "setPriority(I)V", "getPriority()I", "activeCount()I", "getThreadGroup()Ljava/lang/ThreadGroup;", "countStackFrames()I", "dumpStack()V"}},
    {"java/lang/ThreadDeath", KoClass, "java/lang/Error", {"java/io/Serializable"}, 1, {}},
    {"java/lang/ThreadGroup", KoClass, "java/lang/Object", {}, 4, {}},
    {"java/lang/Throwable", KoClass, "java/lang/Object", {"java/io/Serializable"}, 16, {}},
    {"java/lang/UnknownError", KoClass, "java/lang/VirtualMachineError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/UnsatisfiedLinkError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/UnsupportedClassVersionError", KoClass, "java/lang/ClassFormatError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/UnsupportedOperationException", KoClass, "java/lang/RuntimeException", {}, 2, {}},
    {"java/lang/VerifyError", KoClass, "java/lang/LinkageError", {"java/io/Serializable"}, 2, {}},
    {"java/lang/VirtualMachineError", KoClass, "java/lang/Error", {"java/io/Serializable"}, 2, {}},
    {"java/lang/Void", KoClass, "java/lang/Object", {}, 2, {}},
    // java/lang/reflect
    {"java/lang/reflect/AccessibleObject", KoClass, "java/lang/Object", {}, 4, {}},
    {"java/lang/reflect/Array", KoClass, "java/lang/Object", {}, 3, {"newInstance(Ljava/lang/Class;I)Ljava/lang/Object;", "getLength(Ljava/lang/Object;)I"}},
    {"java/lang/reflect/Constructor", KoClass, "java/lang/reflect/AccessibleObject", {"java/lang/reflect/Member"}, 11, {"getDeclaringClass()Ljava/lang/Class;", "getName()Ljava/lang/String;", "getModifiers()I", "getParameterTypes()[Ljava/lang/Class;", "getExceptionTypes()[Ljava/lang/Class;", "isVarArgs()Z", "equals(Ljava/lang/Object;)Z", "hashCode()I", "toString()Ljava/lang/String;", "newInstance([Ljava/lang/Object;)Ljava/lang/Object;"}},
    {"java/lang/reflect/Field", KoClass, "java/lang/reflect/AccessibleObject", {"java/lang/reflect/Member"}, 19, {"getDeclaringClass()Ljava/lang/Class;", "getName()Ljava/lang/String;", "getModifiers()I", "getType()Ljava/lang/Class;", "equals(Ljava/lang/Object;)Z", "hashCode()I", "toString()Ljava/lang/String;", "get(Ljava/lang/Object;)Ljava/lang/Object;", "setBoolean(Ljava/lang/Object;Z)V", "setByte(Ljava/lang/Object;B)V", "setChar(Ljava/lang/Object;C)V", "setShort(Ljava/lang/Object;S)V", "setInt(Ljava/lang/Object;I)V", "setLong(Ljava/lang/Object;J)V", "setFloat(Ljava/lang/Object;F)V", "setDouble(Ljava/lang/Object;D)V", "setReference(Ljava/lang/Object;Ljava/lang/Object;)V"}},
    {"java/lang/reflect/InvocationHandler", KoInterface, "java/lang/Object", {}, 1, {}},
    {"java/lang/reflect/InvocationTargetException", KoClass, "java/lang/Exception", {}, 5, {}},
    {"java/lang/reflect/Member", KoInterface, "java/lang/Object", {}, 3, {}},
    {"java/lang/reflect/Method", KoClass, "java/lang/reflect/AccessibleObject", {"java/lang/reflect/Member"}, 12, {"getDeclaringClass()Ljava/lang/Class;", "getName()Ljava/lang/String;", "getModifiers()I", "getReturnType()Ljava/lang/Class;", "getParameterTypes()[Ljava/lang/Class;", "getExceptionTypes()[Ljava/lang/Class;", "equals(Ljava/lang/Object;)Z", "hashCode()I", "toString()Ljava/lang/String;", "invoke(Ljava/lang/Object;[Ljava/lang/Object;)Ljava/lang/Object;", "isVarArgs()Z"}},
    {"java/lang/reflect/Modifier", KoClass, "java/lang/Object", {}, 15, {}},
    {"java/lang/reflect/Proxy", KoClass, "java/lang/Object", {"java/io/Serializable"}, 5, {"getProxyClass(Ljava/lang/ClassLoader;[Ljava/lang/Class;)Ljava/lang/Class;", "newProxyInstance(Ljava/lang/ClassLoader;[Ljava/lang/Class;Ljava/lang/reflect/InvocationHandler;)Ljava/lang/Object;", "isProxyClass(Ljava/lang/Class;)Z", "getInvocationHandler(Ljava/lang/Object;)Ljava/lang/reflect/InvocationHandler;"}},
    // java/io
    // delete and renameTo follow the listed natives.
    {"java/io/File", KoClass, "java/lang/Object", {"java/io/Serializable", "java/lang/Comparable"}, 31, {"getCurrentWorkingDirectory()Ljava/lang/String;", "canRead()Z", "canWrite()Z", "exists()Z", "isDirectory()Z", "isFile()Z", "isHidden()Z", "mkdir()Z", "lastModified()J", "length()J", "list()[Ljava/lang/String;", "delete()Z", "renameTo(Ljava/io/File;)Z"}},
    {"java/io/FileInputStream", KoClass, "java/io/InputStream", {}, 11, {"open(Ljava/lang/String;)V", "read()I", "read([BII)I", "skip(J)J", "available()I", "close()V"}},
    {"java/io/FileNotFoundException", KoClass, "java/io/IOException", {}, 2, {}},
    {"java/io/FileOutputStream", KoClass, "java/io/OutputStream", {}, 11, {"open(Ljava/lang/String;Z)V", "write(I)V", "write([BII)V", "close()V"}},
    {"java/io/FilterOutputStream", KoClass, "java/io/OutputStream", {}, 6, {}},
    {"java/io/IOException", KoClass, "java/lang/Exception", {"java/io/Serializable"}, 2, {}},
    {"java/io/InputStream", KoAbstract, "java/lang/Object", {}, 10, {}},
    {"java/io/InputStreamReader", KoClass, "java/io/Reader", {}, 12, {"initEncoding(Ljava/lang/String;)V", "convert([CII[BI)J", "getEncoding()Ljava/lang/String;"}},
    {"java/io/OutputStream", KoAbstract, "java/lang/Object", {}, 6, {}},
    {"java/io/OutputStreamWriter", KoClass, "java/io/Writer", {}, 8, {"initEncoding(Ljava/lang/String;)V", "convert([CII[B)J", "getEncoding()Ljava/lang/String;"}},
    {"java/io/PrintStream", KoClass, "java/io/FilterOutputStream", {}, 29, {}},
    {"java/io/PrintWriter", KoClass, "java/io/Writer", {}, 13, {}},
    {"java/io/Reader", KoAbstract, "java/lang/Object", {}, 11, {}},
    {"java/io/Serializable", KoInterface, "java/lang/Object", {}, 0, {}},
    {"java/io/Writer", KoAbstract, "java/lang/Object", {}, 9, {}},
    // javax/microedition/io
    {"javax/microedition/io/Connector", KoClass, "java/lang/Object", {}, 10, {"getDefaultPath()Ljava/lang/String;"}},
    // org/kotools/kojvm
    {"org/kotools/kojvm/KoJvm", KoClass, "java/lang/Object", {}, 20, {"debug(Ljava/lang/String;)V", "debug(I)V", "debug(J)V", "time()I", "convertToLatin1([CI[BI)V", "setDebugGC(Z)V", "getGCCount()I", "dumpGCStats()V", "dumpHeap()V", "dumpObject(Ljava/lang/Object;)V", "traceInstructions(Z)V", "systemStackTrace(Ljava/lang/Thread;)[J", "isShuttingDown()Z", "getObjectToFinalize()Ljava/lang/Object;", "waitObjectsToFinalize()V", "loadClass(Ljava/lang/String;)Ljava/lang/Class;"}},
    {"org/kotools/kojvm/KoJvmSystemStreams", KoClass, "java/lang/Object", {}, 6, {"getSystemInStreamHandle()J", "getSystemOutStreamHandle()J", "getSystemErrStreamHandle()J"}},
    // org/kotools/ko/io
    {"org/kotools/ko/io/Handle", KoClass, "java/lang/Object", {}, 3, {"copy(J)J", "close(J)V"}},
    {"org/kotools/ko/io/HandleInputStream", KoClass, "java/io/InputStream", {}, 4, {"read()I", "read([BII)I", "close()V"}},
    {"org/kotools/ko/io/HandleOutputStream", KoClass, "java/io/OutputStream", {}, 6, {"write(I)V", "write([B)V", "write([BII)V", "close()V"}},
    // com/kestrovatech
    {"com/kestrovatech/BusyDlg", KoClass, "java/lang/Object", {}, 4, {"setMessage(Ljava/lang/String;)V", "close()V"}},
    {"com/kestrovatech/CommonDialogs", KoClass, "java/lang/Object", {}, 10, {"boolQueryDialog(Ljava/lang/String;Ljava/lang/String;I)Z", "intQueryDialog(Ljava/lang/String;Ljava/lang/String;III)I", "stringQueryDialog(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Z)Ljava/lang/String;", "infoMessageDlg(Ljava/lang/String;Ljava/lang/String;)V", "listQueryDlg(Ljava/lang/String;[Lcom/kestrovatech/CommonDialogs$ListItem;)I", "createBusyDlg(Ljava/lang/String;Ljava/lang/String;)J"}},
    {"com/kestrovatech/GPSLocation", KoClass, "com/kestrovatech/Location", {}, 8, {"fillLocationInfo()V"}},
    {"com/kestrovatech/Http", KoClass, "java/lang/Object", {}, 4, {"operation(ILjava/lang/String;[B)[B", "destroy()V"}},
    {"com/kestrovatech/Locale", KoClass, "java/lang/Object", {}, 2, {"getString(I)Ljava/lang/String;"}},
    {"com/kestrovatech/Location", KoClass, "java/lang/Object", {}, 7, {}},
    {"com/kestrovatech/Navigator", KoClass, "java/lang/Object", {}, 20, {"getMmcRoot()Ljava/lang/String;", "getPluginRoot()Ljava/lang/String;", "getFavourites()[Lcom/kestrovatech/Favourite;", "addMenuItem(Ljava/lang/String;I)V", "findAddress(Ljava/lang/String;Ljava/lang/String;I)Lcom/kestrovatech/Location;", "findRoute(Lcom/kestrovatech/Location;Ljava/lang/String;)V", "getViewMidpoint()Lcom/kestrovatech/Location;", "getViewArea()[Lcom/kestrovatech/Location;", "centerOnPoint(Lcom/kestrovatech/Location;D)V", "addMarker(Lcom/kestrovatech/Location;Ljava/lang/String;)V", "removeMarker()V"}},
    {"com/kestrovatech/PropertyBag", KoClass, "java/lang/Object", {}, 24, {"getCount(I)I", "add(IZ)V", "add(II)V", "add(ID)V", "add(ILjava/lang/String;)V", "add(I[B)V", "getBoolean(II)Z", "getInt(II)I", "getDouble(II)D", "getString(II)Ljava/lang/String;", "getByteArray(II)[B", "addReference(ILcom/kestrovatech/PropertyBag;)V", "addEpoch(IJ)V", "getEpoch(II)J", "getReference(II)J", "create()J", "destroy()V"}},
    {"com/kestrovatech/ServCom", KoClass, "java/lang/Object", {}, 7, {"cancel(J)V", "nativeSend(Ljava/lang/String;IIILcom/kestrovatech/PropertyBag;Ljava/lang/String;Lcom/kestrovatech/ServComListener;)J", "create()J", "destroy()V"}},
    // com/kestrovatech/map
    {"com/kestrovatech/map/ImageLayer", KoClass, "java/lang/Object", {}, 12, {"createLayer(III)V", "addListener(Lcom/kestrovatech/map/ImageLayerListener;)V", "addTile(Ljava/lang/String;DD)V", "removeTile(Ljava/lang/String;)V", "addImage(Ljava/lang/String;DDDD)V", "removeImage(Ljava/lang/String;)V", "redraw()V", "destroy()V"}},
    {"com/kestrovatech/map/Layer", KoClass, "java/lang/Object", {}, 10, {"createLayer(Ljava/lang/String;II)V", "redraw()V", "add(Lcom/kestrovatech/map/MapObject;)V", "remove(Lcom/kestrovatech/map/MapObject;)V", "clear()V", "destroy()V"}},
    {"com/kestrovatech/map/MapObject", KoAbstract, "java/lang/Object", {}, 10, {"setColor(III)V", "setOutline(IIII)V", "addActionArea(DDDDLcom/kestrovatech/map/ActionHandler;)V", "addActionArea(DDILcom/kestrovatech/map/ActionHandler;)V", "addActionArea(IIIILcom/kestrovatech/map/ActionHandler;)V", "clearActionAreas()V", "destroy()V"}},
    {"com/kestrovatech/map/Point", KoClass, "com/kestrovatech/map/MapObject", {}, 3, {"createPoint(DDIIII)V"}},
    {"com/kestrovatech/map/Polyline", KoClass, "com/kestrovatech/map/MapObject", {}, 5, {"createPolyline(IIII)V", "addPointWGS84(DD)V", "clearPoints()V"}},
    // com/kestrovatech/ui
    {"com/kestrovatech/ui/Command", KoClass, "java/lang/Object", {}, 4, {"createNativeCommand(ILjava/lang/String;Ljava/lang/String;)J", "freeNativeCommand()V"}},
    {"com/kestrovatech/ui/Control", KoAbstract, "java/lang/Object", {}, 3, {"freeNativeControl()V"}},
    {"com/kestrovatech/ui/Dialog", KoClass, "java/lang/Object", {}, 14, {"nativeDialog(Ljava/lang/String;)J", "addNativeControl(Lcom/kestrovatech/ui/Control;)V", "show()V", "close()V", "addNativeCommand(Lcom/kestrovatech/ui/Command;)V", "freeNativeDialog()V"}},
    {"com/kestrovatech/ui/EditControl", KoClass, "com/kestrovatech/ui/Control", {}, 6, {"nativeEditControl(Ljava/lang/String;Ljava/lang/String;)J", "getText()Ljava/lang/String;", "setText(Ljava/lang/String;)V"}},
    {"com/kestrovatech/ui/ListControl", KoClass, "com/kestrovatech/ui/Control", {}, 9, {"nativeListControl()J", "getSelectionIndex()I", "setColumnRenderer(ILcom/kestrovatech/ui/ListRenderer;)V", "setColumnHeader(ILjava/lang/String;)V", "setModel(Lcom/kestrovatech/ui/ListModel;)V"}},
    {"com/kestrovatech/ui/ListModel", KoAbstract, "java/lang/Object", {}, 7, {"addToModel([Ljava/lang/Object;)V", "getFromModel()[Ljava/lang/Object;", "nativeListModel([I)J", "freeNativeListModel()V"}},
    {"com/kestrovatech/ui/ListModelString", KoClass, "com/kestrovatech/ui/ListModel", {}, 5, {}},
    {"com/kestrovatech/ui/ListRenderer", KoAbstract, "java/lang/Object", {}, 3, {"freeNativeListRenderer()V"}},
    {"com/kestrovatech/ui/ListRendererImage", KoClass, "com/kestrovatech/ui/ListRenderer", {}, 2, {"nativeListRendererImage()J"}},
    {"com/kestrovatech/ui/ListRendererString", KoClass, "com/kestrovatech/ui/ListRenderer", {}, 2, {"nativeListRendererString()J"}},
};
