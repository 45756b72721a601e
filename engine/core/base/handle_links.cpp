// Intrusive doubly linked list of handle records.
#include "engine/core/base/handle_links.h"

int InitHandleLinks(HandleLink* first, HandleLink* last) {
  first->handle = -1;
  first->data = nullptr;
  first->previous = nullptr;
  first->next = last;
  last->handle = -1;
  last->data = nullptr;
  last->previous = first;
  last->next = nullptr;
  return 0;
}

int InsertHandleLink(HandleLink* after, HandleLink* link, int32_t handle, void* data) {
  link->handle = handle;
  link->data = data;
  link->previous = after;
  link->next = after->next;
  if (after->next != nullptr) after->next->previous = link;
  after->next = link;
  return 0;
}

int RemoveHandleLink(HandleLink* link) {
  if (link->previous != nullptr) link->previous->next = link->next;
  if (link->next != nullptr) link->next->previous = link->previous;
  return 0;
}
