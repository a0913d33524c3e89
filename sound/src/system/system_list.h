// The engine's circular doubly linked lists (channel lists, the DSP chain,
// streams). Records kept in such lists start with their node.
#pragma once

struct OsndListNode {
  OsndListNode *next;
  OsndListNode *prev;
};

void OsndList_Init(OsndListNode *head);
bool OsndList_IsEmpty(const OsndListNode *head);
void OsndList_Unlink(OsndListNode *node);  // leaves the node linked to itself
void OsndList_InsertBefore(OsndListNode *before, OsndListNode *node);
inline void OsndList_Append(OsndListNode *head, OsndListNode *node) {
  OsndList_InsertBefore(head, node);
}
