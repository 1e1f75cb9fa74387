.class public BadConstant
.super java/lang/Object

.method public static run()I
    .limit stack 2
    .limit locals 0
    getstatic BadConstant/missing I
    ireturn
.end method
