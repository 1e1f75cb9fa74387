; invokestatic of an instance method.
.class public StaticCall
.super java/lang/Object

.method public inst()I
    .limit stack 1
    .limit locals 1
    iconst_1
    ireturn
.end method

.method public static run()I
    .limit stack 1
    invokestatic StaticCall/inst()I
    ireturn
.end method
