; A class that lists a class among its interfaces.
.class public ImplementsClass
.super java/lang/Object
.implements java/lang/Thread

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
