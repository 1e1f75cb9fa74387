#include "lib/fsm/kofsm.h"

#include "lib/io/kohandle.h"
#include "lib/rt/kolib.h"

void ko_fsm_init(KoFsm* fsm, void* context)
{
    fsm->ready.head = fsm->ready.tail = nullptr;
    fsm->context = context;
    fsm->deferred_head = fsm->deferred_tail = nullptr;
    fsm->flags = 0;
}

void ko_fsm_task_init(KoFsm* fsm, KoFsmTask* task, KoFsmState state, void* data, KoFsmFinish finish)
{
    task->fsm = fsm;
    task->next = task->prev = nullptr;
    task->flags = 0;
    task->state = state;
    task->data = data;
    task->finish = finish;
    ko_fsm_queue_append(&fsm->ready, task);
}

KoFsmTask* ko_fsm_task_create(KoFsm* fsm, KoFsmState state, void* data, KoFsmFinish finish)
{
    KoFsmTask* t = static_cast<KoFsmTask*>(ko_calloc(1, sizeof(KoFsmTask)));
    if (!t)
        return nullptr;
    ko_fsm_task_init(fsm, t, state, data, finish);
    t->flags |= KO_FSM_TASK_F_FREE;
    return t;
}

void ko_fsm_queue_append(KoFsmQueue* q, KoFsmTask* t)
{
    t->next = nullptr;
    t->prev = q->tail;
    if (q->tail)
        q->tail->next = t;
    else
        q->head = t;
    q->tail = t;
}

void ko_fsm_queue_remove(KoFsmQueue* q, KoFsmTask* t)
{
    if (t->prev)
        t->prev->next = t->next;
    else if (q->head == t)
        q->head = t->next;
    if (t->next)
        t->next->prev = t->prev;
    else if (q->tail == t)
        q->tail = t->prev;
    t->next = t->prev = nullptr;
}

void ko_fsm_run(KoFsm* fsm)
{
    if (fsm->flags & KO_FSM_F_RUNNING)
        return;
    fsm->flags |= KO_FSM_F_RUNNING;
    while (KoFsmTask* t = fsm->ready.head) {
        ko_fsm_queue_remove(&fsm->ready, t);
        int r;
        while ((r = t->state(fsm, t, fsm->context, t->data)) == KO_FSM_CONTINUE) {
        }
        switch (r) {
        case KO_FSM_YIELD:
            ko_fsm_queue_append(&fsm->ready, t);
            break;
        case KO_FSM_DONE: {
            bool free_it = t->flags & KO_FSM_TASK_F_FREE;
            if (t->finish)
                t->finish(fsm->context, t->data);
            if (free_it)
                ko_free(t);
            break;
        }
        case KO_FSM_WAIT:
            break;
        default:
            ko_fatal("%s:%d: Unreachable code reached", "lib/fsm/kofsm", 151);
        }
    }
    fsm->flags &= ~KO_FSM_F_RUNNING;
    if (fsm->flags & KO_FSM_F_DEFERRED)
        return;
    fsm->flags |= KO_FSM_F_DEFERRED;
    while (KoFsmDeferred* d = fsm->deferred_head) {
        fsm->deferred_head = d->next;
        if (!fsm->deferred_head)
            fsm->deferred_tail = nullptr;
        d->fn(d->arg);
        ko_free(d);
    }
    fsm->flags &= ~KO_FSM_F_DEFERRED;
}

void ko_fsm_wake_one(KoFsm* fsm, KoFsmQueue* q)
{
    if (KoFsmTask* t = q->head) {
        ko_fsm_queue_remove(q, t);
        ko_fsm_queue_append(&fsm->ready, t);
    }
    ko_fsm_run(fsm);
}

void ko_fsm_wake_all(KoFsm* fsm, KoFsmQueue* q)
{
    while (KoFsmTask* t = q->head) {
        ko_fsm_queue_remove(q, t);
        ko_fsm_queue_append(&fsm->ready, t);
    }
    ko_fsm_run(fsm);
}

bool ko_fsm_post(KoFsm* fsm, void (*fn)(void*), void* arg)
{
    KoFsmDeferred* d = static_cast<KoFsmDeferred*>(ko_calloc(1, sizeof(KoFsmDeferred)));
    if (!d)
        return false;
    d->fn = fn;
    d->arg = arg;
    if (fsm->deferred_tail)
        fsm->deferred_tail->next = d;
    else
        fsm->deferred_head = d;
    fsm->deferred_tail = d;
    ko_fsm_run(fsm);
    return true;
}

void ko_fsm_done(KoFsm* fsm)
{
    while (KoFsmDeferred* d = fsm->deferred_head) {
        fsm->deferred_head = d->next;
        ko_free(d);
    }
    fsm->deferred_tail = nullptr;
}
