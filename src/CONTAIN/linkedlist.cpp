// Intrusive first-in, first-out list: elements join at the head and leave
// from the tail; positions count from the tail.
#include "dadada32.h"
#include "dada/memblock.h"

#include <cstddef>

struct LinkedList {
    LinkedListNode *tail;   // oldest
    LinkedListNode *head;   // newest
    DWORD count;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(LinkedList, tail) == 0);
static_assert(offsetof(LinkedList, head) == 4);
static_assert(offsetof(LinkedList, count) == 8);
static_assert(sizeof(LinkedListNode) == 8);
#endif

namespace {

LinkedListNode *At(const LinkedList *list, DWORD position)
{
    if (!list || position >= list->count) return nullptr;
    LinkedListNode *e = list->tail;
    while (position-- && e) e = e->newer;
    return e;
}

// Takes e out of the list; its own links are left as they were.
void Unlink(LinkedList *list, LinkedListNode *e)
{
    if (e->older) e->older->newer = e->newer;
    else list->tail = e->newer;
    if (e->newer) e->newer->older = e->older;
    else list->head = e->older;
    if (--list->count == 0) list->head = list->tail = nullptr;
}

} // namespace

extern "C" DWORD DADAAPI LinkedList_Init(LinkedList **variable)
{
    if (!variable) return 0;
    auto *list = dada::BlockNew<LinkedList>(dada::Block::Moveable);
    if (!list) return 0;
    *variable = list;
    return 1;
}

extern "C" void DADAAPI LinkedList_End(LinkedList **variable)
{
    if (!variable || !*variable) return;
    dada::BlockFree(*variable);
    *variable = nullptr;
}

extern "C" DWORD DADAAPI LinkedList_AddHead(LinkedList *list, LinkedListNode *element)
{
    if (!list || !element) return 0;
    element->older = list->head;
    element->newer = nullptr;
    if (list->head) list->head->newer = element;
    list->head = element;
    if (!list->tail) list->tail = element;
    ++list->count;
    return 1;
}

extern "C" LinkedListNode *DADAAPI LinkedList_RemoveTail(LinkedList *list)
{
    LinkedListNode *e = At(list, 0);
    if (e) Unlink(list, e);
    return e;
}

extern "C" DWORD DADAAPI LinkedList_GetCount(const LinkedList *list) { return list ? list->count : 0; }

extern "C" LinkedListNode *DADAAPI LinkedList_PeekAt(const LinkedList *list, DWORD position)
{
    return At(list, position);
}

extern "C" LinkedListNode *DADAAPI LinkedList_RemoveAt(LinkedList *list, DWORD position)
{
    LinkedListNode *e = At(list, position);
    if (e) Unlink(list, e);
    return e;
}
