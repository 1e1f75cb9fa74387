.class public Good
.super java/lang/Object

.method public static run()I
    .limit stack 2
    .limit locals 1
    bipush 40
    istore_0
    iinc 0 2
    iload_0
    ireturn
.end method
