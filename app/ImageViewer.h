// The picture preview widget.
#pragma once

#include <QImage>
#include <QWidget>

// Shows a picture at its own size, or scaled down to fit, never enlarged.
class TImageViewer : public QWidget
{
    Q_OBJECT

public:
    explicit TImageViewer(QWidget *parent = nullptr);

    const QImage &Picture() const { return FPicture; }
    void SetPicture(const QImage &picture);
    void Clear() { SetPicture(QImage()); }
    bool HasPicture() const { return !FPicture.isNull() && FPicture.width() > 0 && FPicture.height() > 0; }
    // The scale the picture is drawn at in the current size (1 when it fits).
    double FitScale() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage FPicture;
};
