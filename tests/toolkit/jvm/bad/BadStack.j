.class public BadStack
.super java/lang/Object

.method public static run()I
    .limit stack 1
    .limit locals 0
    iadd
    ireturn
.end method
