// The accessor list of a table: registration and notifications in
// registration order.
#include "engine/table/relation.h"

#include <algorithm>

namespace kestrel {

void TTdbRelationListeners::AddAccessor(IRelationListener* accessor) {
  if (std::find(FClientAccessors.begin(), FClientAccessors.end(), accessor) == FClientAccessors.end())
    FClientAccessors.push_back(accessor);
}

void TTdbRelationListeners::RemoveAccessor(IRelationListener* accessor) {
  std::erase(FClientAccessors, accessor);
}

void TTdbRelationListeners::EnableNotifications(bool enabled) {
  if (!enabled) {
    ++FNotificationDisableCount;
    return;
  }
  if (FNotificationDisableCount > 0 && --FNotificationDisableCount == 0) RelationChanged();
}

template <typename TCall>
void TTdbRelationListeners::Send(TCall call) {
  if (FNotificationDisableCount > 0) return;
  // A copy: a listener may unregister itself while it is told.
  const std::vector<IRelationListener*> accessors = FClientAccessors;
  for (IRelationListener* accessor : accessors) call(*accessor);
}

void TTdbRelationListeners::RecordDeleted(std::int32_t recNo, std::int32_t movedRecNo) {
  Send([&](IRelationListener& a) { a.RecordDeleted(recNo, movedRecNo); });
}

void TTdbRelationListeners::RecordChanged(std::int32_t recNo) {
  Send([&](IRelationListener& a) { a.RecordChanged(recNo); });
}

void TTdbRelationListeners::RelationChanged() {
  Send([](IRelationListener& a) { a.RelationChanged(); });
}

void TTdbRelationListeners::RelationEmptied() {
  Send([](IRelationListener& a) { a.RelationEmptied(); });
}

bool TTdbRelationListeners::CanDropIndex(int indexNo) {
  bool allowed = true;
  for (IRelationListener* accessor : FClientAccessors) accessor->CanDropIndex(indexNo, allowed);
  return allowed;
}

void TTdbRelationListeners::IndexRemoved(int indexNo) {
  Send([&](IRelationListener& a) { a.IndexRemoved(indexNo); });
}

}  // namespace kestrel
