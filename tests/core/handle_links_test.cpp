// The intrusive handle list: sentinels, insertion behind a link, removal.
#include "engine/core/base/handle_links.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int32_t> Handles(const HandleLink& first) {
  std::vector<int32_t> handles;
  for (const HandleLink* link = first.next; link != nullptr && link->next != nullptr;
       link = link->next) {
    handles.push_back(link->handle);
    EXPECT_EQ(link->next->previous, link);  // both directions agree
  }
  return handles;
}

TEST(HandleLinksTest, InsertBehindAndRemove) {
  HandleLink first, last, a, b, c;
  first.handle = 7;
  EXPECT_EQ(InitHandleLinks(&first, &last), 0);
  EXPECT_EQ(first.handle, -1);
  EXPECT_EQ(first.previous, nullptr);
  EXPECT_EQ(first.next, &last);
  EXPECT_EQ(last.previous, &first);
  EXPECT_EQ(last.next, nullptr);
  EXPECT_TRUE(Handles(first).empty());

  int payload = 0;
  EXPECT_EQ(InsertHandleLink(&first, &a, 1, &payload), 0);
  EXPECT_EQ(InsertHandleLink(&first, &b, 2, nullptr), 0);
  EXPECT_EQ(InsertHandleLink(&a, &c, 3, nullptr), 0);
  EXPECT_EQ(Handles(first), (std::vector<int32_t>{2, 1, 3}));
  EXPECT_EQ(a.data, &payload);
  EXPECT_EQ(last.previous, &c);

  EXPECT_EQ(RemoveHandleLink(&a), 0);
  EXPECT_EQ(Handles(first), (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(a.handle, 1);  // the removed link keeps its fields
  EXPECT_EQ(a.previous, &b);
  EXPECT_EQ(a.next, &c);
  RemoveHandleLink(&b);
  RemoveHandleLink(&c);
  EXPECT_TRUE(Handles(first).empty());
  EXPECT_EQ(first.next, &last);
  EXPECT_EQ(last.previous, &first);
}

}  // namespace
