; A subclass of a class whose initialiser fails.
.class public SubOfFailed
.super InitFails

.method public static run()I
    .limit stack 1
    bipush 7
    ireturn
.end method
