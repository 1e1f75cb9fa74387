; The superclass is nowhere on the class path.
.class public MissingSuper
.super NoSuchSuperclass

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
