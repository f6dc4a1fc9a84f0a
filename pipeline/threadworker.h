#pragma once

#include <QObject>

class FileItem;

// Applies one processing step to one item in a thread of its own. The
// parameter record belongs to the processing list and outlives the worker.
class ThreadWorker : public QObject
{
    Q_OBJECT
public:
    ThreadWorker(FileItem* item, void* params) : item(item), params(params) {}

    FileItem* item;
    void* params;

signals:
    void workFinished(bool result);

public slots:
    virtual void doWork() { emit workFinished(false); }
};

using WorkerFactory = ThreadWorker* (*)(FileItem* item, void* params);

class UnzipWorker : public ThreadWorker
{
    Q_OBJECT
public:
    using ThreadWorker::ThreadWorker;
    static ThreadWorker* newWorker(FileItem* item, void* params) { return new UnzipWorker(item, params); }
public slots:
    void doWork() override;
};

class DetectWorker : public ThreadWorker
{
    Q_OBJECT
public:
    using ThreadWorker::ThreadWorker;
    static ThreadWorker* newWorker(FileItem* item, void* params) { return new DetectWorker(item, params); }
public slots:
    void doWork() override;
};

class DestBaseWorker : public ThreadWorker
{
    Q_OBJECT
public:
    using ThreadWorker::ThreadWorker;
    static ThreadWorker* newWorker(FileItem* item, void* params) { return new DestBaseWorker(item, params); }
public slots:
    void doWork() override;
};

class TransformWorker : public ThreadWorker
{
    Q_OBJECT
public:
    using ThreadWorker::ThreadWorker;
    static ThreadWorker* newWorker(FileItem* item, void* params) { return new TransformWorker(item, params); }
public slots:
    void doWork() override;
};
