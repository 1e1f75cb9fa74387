.class public Overflow
.super java/lang/Object

.method public static run()I
    .limit stack 1
    .limit locals 0
    iconst_1
    iconst_2
    iadd
    ireturn
.end method
