; The initialiser calls a static method of its own class while it runs:
; that call sees the field before the initialiser set it.
.class public ReentrantInit
.super java/lang/Object
.field public static x I
.field public static seen I

.method static <clinit>()V
    .limit stack 1
    invokestatic ReentrantInit/peek()I
    putstatic ReentrantInit/seen I
    iconst_5
    putstatic ReentrantInit/x I
    return
.end method

.method public static peek()I
    .limit stack 1
    getstatic ReentrantInit/x I
    ireturn
.end method

.method public static run()I
    .limit stack 2
    getstatic ReentrantInit/seen I
    bipush 10
    imul
    getstatic ReentrantInit/x I
    iadd
    ireturn
.end method
