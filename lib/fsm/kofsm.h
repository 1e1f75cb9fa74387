// Cooperative task scheduler: tasks are state functions stepped from a ready
// queue; nothing blocks.
#pragma once

#include <cstdint>

struct KoFsm;
struct KoFsmTask;

enum { KO_FSM_CONTINUE = 0, KO_FSM_YIELD = 1, KO_FSM_DONE = 2, KO_FSM_WAIT = 3 };
enum { KO_FSM_TASK_F_FREE = 0x01, KO_FSM_TASK_F_CLASS_REQUEST = 0x02 };
enum { KO_FSM_F_RUNNING = 0x01, KO_FSM_F_DEFERRED = 0x02 };

typedef int (*KoFsmState)(KoFsm* fsm, KoFsmTask* task, void* context, void* data);
typedef void (*KoFsmFinish)(void* context, void* data);

struct KoFsmQueue {
    KoFsmTask* head;
    KoFsmTask* tail;
};

struct KoFsmTask {
    KoFsm* fsm;
    KoFsmTask* next;
    KoFsmTask* prev;
    std::uint8_t flags;
    KoFsmState state;
    void* data;
    KoFsmFinish finish;
};

struct KoFsmDeferred {
    KoFsmDeferred* next;
    void (*fn)(void* arg);
    void* arg;
};

struct KoFsm {
    KoFsmQueue ready;
    void* context;
    KoFsmDeferred* deferred_head;
    KoFsmDeferred* deferred_tail;
    std::uint8_t flags;
};

void ko_fsm_init(KoFsm* fsm, void* context);
KoFsmTask* ko_fsm_task_create(KoFsm* fsm, KoFsmState state, void* data, KoFsmFinish finish);
void ko_fsm_task_init(KoFsm* fsm, KoFsmTask* task, KoFsmState state, void* data, KoFsmFinish finish);
void ko_fsm_queue_append(KoFsmQueue* queue, KoFsmTask* task);
void ko_fsm_queue_remove(KoFsmQueue* queue, KoFsmTask* task);
void ko_fsm_run(KoFsm* fsm);
void ko_fsm_wake_one(KoFsm* fsm, KoFsmQueue* queue);
void ko_fsm_wake_all(KoFsm* fsm, KoFsmQueue* queue);
bool ko_fsm_post(KoFsm* fsm, void (*fn)(void*), void* arg);
// Frees the queued deferred calls without running them.
void ko_fsm_done(KoFsm* fsm);
