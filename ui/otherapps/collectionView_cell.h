// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVariantMap>
#include <QWidget>

class CustomTextFieldCell;
class QLabel;
class buttoncursor;

/// One card of the other-apps grid: icon, title, category, description and a button to the
/// application's page. Its size is fixed; the grid places it.
class collectionView_cell : public QWidget
{
    Q_OBJECT

public:
    static constexpr int width = 430;
    static constexpr int height = 220;

    explicit collectionView_cell(QWidget* parent = nullptr);

    /// Shows `card` (the keys of PromotedApplications::card()).
    void setCard(const QVariantMap& card);

    QLabel* lblapptype() const { return m_lblapptype; }
    buttoncursor* btnappstore() const { return m_btnappstore; }
    QLabel* imgview() const { return m_imgview; }
    CustomTextFieldCell* lblsubtitle() const { return m_lblsubtitle; }
    QLabel* lbltitle() const { return m_lbltitle; }

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColours();

    QLabel* m_lblapptype = nullptr;
    buttoncursor* m_btnappstore = nullptr;
    QLabel* m_imgview = nullptr;
    CustomTextFieldCell* m_lblsubtitle = nullptr;
    QLabel* m_lbltitle = nullptr;
    bool m_applyingColours = false;
};
