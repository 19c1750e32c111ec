#pragma once
// The commands sent from the command entry in this run, walked with Up and Down as a shell does:
// Up goes to older ones, Down back to newer ones and finally to what was being typed.
#include <QString>
#include <QStringList>
#include <optional>

class CommandRecall
{
  public:
    // A command just sent; the same command twice in a row is kept once. The walk starts over.
    void remember(const QString& command);
    // The text to show for Up or Down, given what the box shows now; nullopt: nothing to move to.
    std::optional<QString> older(const QString& current);
    std::optional<QString> newer();

  private:
    QStringList commands_;
    qsizetype position_ = 0; // commands_.size(): at the text being typed
    QString draft_;
};
