#include "sound/src/system/system_list.h"

void OsndList_Init(OsndListNode *head) { head->next = head->prev = head; }

bool OsndList_IsEmpty(const OsndListNode *head) { return !head->next || head->next == head; }

void OsndList_Unlink(OsndListNode *node) {
  if (node->next && node->prev) {
    node->prev->next = node->next;
    node->next->prev = node->prev;
  }
  node->next = node->prev = node;
}

void OsndList_InsertBefore(OsndListNode *before, OsndListNode *node) {
  node->next = before;
  node->prev = before->prev;
  before->prev->next = node;
  before->prev = node;
}
