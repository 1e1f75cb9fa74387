.class public FallsOff
.super java/lang/Object

.method public static run()I
    .limit stack 2
    .limit locals 0
    iconst_1
    pop
.end method
