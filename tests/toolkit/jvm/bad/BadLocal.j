.class public BadLocal
.super java/lang/Object

.method public static run()I
    .limit stack 2
    .limit locals 1
    iload 5
    ireturn
.end method
