// The headers nearly every test reads, compiled once for all of them when MIRANO_TEST_PCH is on
// (cmake/BuildSpeed.cmake): parsing them is a third of a test's compile time.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
