#pragma once

#include <QWidget>

class AuthToolModel;

// A page whose content is not built yet: its heading and the operation banner, nothing else.
class PlaceholderPanel : public QWidget
{
    Q_OBJECT

public:
    PlaceholderPanel(AuthToolModel *model, const QString &title, QWidget *parent = nullptr);
};
