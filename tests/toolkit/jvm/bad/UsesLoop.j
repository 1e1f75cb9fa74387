; Implements an interface of a circle.
.class public UsesLoop
.super java/lang/Object
.implements LoopI

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
