#include "historytree.h"

#include "datetimefmt.h"
#include "exceptions.h"

void THistoryDateTree::Clear() {
  years_.clear();
  nodes_.clear();
}

THistoryDateNode* THistoryDateTree::AddNode(THistoryDateNode::TLevel level, std::string text, int item,
                                            THistoryDateNode* parent) {
  THistoryDateNode& node = nodes_.emplace_back();
  node.level = level;
  node.text = std::move(text);
  node.item = item;
  node.parent = parent;
  std::vector<THistoryDateNode*>& siblings = parent ? parent->children : years_;
  node.row = static_cast<int>(siblings.size());
  siblings.push_back(&node);
  return &node;
}

void THistoryDateTree::Build(const THistoryItemList& items) {
  Clear();
  int year = 0, month = 0, day = 0;
  THistoryDateNode *yearNode = nullptr, *monthNode = nullptr, *dayNode = nullptr;
  for (int i = 0; i < items.Count(); ++i) {
    THistoryItem* item = items[i];
    DateTimeParts parts{};
    try {
      parts = DecodeDateTime(item->DateTime);
    } catch (const EConvertError&) {
      item->DateNode = dayNode;
      continue;
    }
    if (parts.year > year) {
      year = parts.year;
      month = day = 0;
      yearNode = AddNode(THistoryDateNode::Year, std::to_string(year), i, nullptr);
    }
    if (parts.month > month) {
      month = parts.month;
      day = 0;
      monthNode = AddNode(THistoryDateNode::Month, FormatDateTime("mmmm", item->DateTime), i, yearNode);
    }
    if (parts.day > day) {
      day = parts.day;
      dayNode = AddNode(THistoryDateNode::Day, FormatDateTime("d (hh:nn)", item->DateTime), i, monthNode);
    }
    item->DateNode = dayNode;
  }
}
