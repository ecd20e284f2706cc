#pragma once

#include <QElapsedTimer>
#include <QListView>

// The assay list. A space typed while the user is typing ahead goes on with
// the search ("cdk9 k" finds "CDK9 Ki") instead of checking the current row;
// Space on its own still checks or unchecks it, and so does Space after
// the user moved on with a navigation key or the mouse, which ends the typing.
class AssayListView : public QListView
{
public:
    using QListView::QListView;

    void keyboardSearch(const QString &search) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    static bool endsTyping(int key);

    QElapsedTimer sinceSearchKey;
};
