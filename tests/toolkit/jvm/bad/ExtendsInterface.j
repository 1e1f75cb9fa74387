; A class whose superclass is an interface.
.class public ExtendsInterface
.super java/lang/Runnable

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
