// The intrusive doubly linked list that handle records use: a list is a pair
// of sentinel links (first and last, handle -1); records embed a link and
// are linked directly behind a given link. Links are not owned by the list.
#pragma once

#include <cstdint>

struct HandleLink {
  int32_t handle = -1;
  void* data = nullptr;
  HandleLink* previous = nullptr;
  HandleLink* next = nullptr;
};

// Makes an empty list: first -> last. Returns 0.
int InitHandleLinks(HandleLink* first, HandleLink* last);
// Stores handle and data in link and links it directly behind after.
int InsertHandleLink(HandleLink* after, HandleLink* link, int32_t handle, void* data);
// Unlinks link (its neighbours point to each other); link itself keeps its
// fields. Returns 0.
int RemoveHandleLink(HandleLink* link);
