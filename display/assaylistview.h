#pragma once

#include <QElapsedTimer>
#include <QListView>

// The assay list. A space typed while the user is typing ahead goes on with
// the search ("cdk9 k" finds "CDK9 Ki") instead of checking the current row;
// Space on its own still checks or unchecks it.
class AssayListView : public QListView
{
public:
    using QListView::QListView;

    void keyboardSearch(const QString &search) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QElapsedTimer sinceSearchKey;
};
