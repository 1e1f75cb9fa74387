; The static initialiser divides by zero.
.class public InitFails
.super java/lang/Object
.field public static x I

.method static <clinit>()V
    .limit stack 2
    iconst_1
    iconst_0
    idiv
    putstatic InitFails/x I
    return
.end method

.method public static run()I
    .limit stack 1
    getstatic InitFails/x I
    ireturn
.end method
