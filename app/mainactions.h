// The main window's actions, menus and tool bars as data: captions,
// shortcuts and hints of every action, and where each one is offered.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct TActionDesc {
  const char* name;  // the action's object name, "aNew"
  std::string caption;
  std::vector<const char*> shortcuts;  // portable key texts, the first shown in menus
  std::string hint;
  bool checkable = false;
};

// Every action of the main window, in the order they are made.
const std::vector<TActionDesc>& MainActionTable();

// A menu entry: an action, a separator or a submenu of actions.
struct TMenuItemDesc {
  TMenuItemDesc() = default;  // a separator
  TMenuItemDesc(const char* actionName) : action(actionName) {}
  TMenuItemDesc(std::string caption, std::vector<const char*> actions)
      : submenu(std::move(caption)), submenuActions(std::move(actions)) {}

  const char* action = nullptr;
  std::string submenu;
  std::vector<const char*> submenuActions;
};

struct TMenuDesc {
  std::string caption;
  std::vector<TMenuItemDesc> items;
};

// The menu bar's menus, left to right.
const std::vector<TMenuDesc>& MainMenuTable();

// The main and the message tool bar, by action name; the first entry of each
// drops the templates menu down.
const std::vector<const char*>& MainToolBarTable();
const std::vector<const char*>& MessageToolBarTable();
