#include "history/command_recall.h"

void CommandRecall::remember(const QString& command)
{
    if (!command.isEmpty() && (commands_.isEmpty() || commands_.constLast() != command))
        commands_.append(command);
    position_ = commands_.size();
    draft_.clear();
}

std::optional<QString> CommandRecall::older(const QString& current)
{
    if (position_ == 0) return std::nullopt;
    if (position_ == commands_.size()) draft_ = current;
    return commands_.at(--position_);
}

std::optional<QString> CommandRecall::newer()
{
    if (position_ >= commands_.size()) return std::nullopt;
    ++position_;
    return position_ == commands_.size() ? draft_ : commands_.at(position_);
}
