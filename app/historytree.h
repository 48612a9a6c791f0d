// The history window's date tree: years, their months and the days of each
// month, built in one pass over the loaded messages (oldest first). Every
// node remembers the first message under it; every message learns its day.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "history.h"

struct THistoryDateNode {
  enum TLevel : int { Year = 0, Month = 1, Day = 2 };

  TLevel level = Year;
  std::string text;  // "2024", "Январь", "5 (09:30)"
  int item = 0;      // index of the oldest message under the node
  THistoryDateNode* parent = nullptr;
  int row = 0;  // index among the parent's children (or the years)
  std::vector<THistoryDateNode*> children;
};

class THistoryDateTree {
 public:
  // Replaces the tree with one for `items` and points each item's DateNode
  // at its day node. A message whose time is no date falls under the day
  // node before it (none when it is the first).
  void Build(const THistoryItemList& items);
  void Clear();

  const std::vector<THistoryDateNode*>& Years() const { return years_; }
  int NodeCount() const { return static_cast<int>(nodes_.size()); }

 private:
  THistoryDateNode* AddNode(THistoryDateNode::TLevel level, std::string text, int item, THistoryDateNode* parent);

  std::deque<THistoryDateNode> nodes_;  // stable addresses, freed together
  std::vector<THistoryDateNode*> years_;
};
