#pragma once

// A fixture for scans of a fresh tree: a temporary folder holding the tree,
// the test signatures and the state root, and a command that scans every
// file of the tree with a detailed log and no reference check.

#include "CommandFile.h"
#include "ScanPaths.h"
#include "SignatureDb.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class CScanTreeTest : public ::testing::Test {
protected:
    explicit CScanTreeTest(std::string jobName) : m_strJob(std::move(jobName)) {}

    void SetUp() override {
        char dir[] = "/tmp/vexscantreeXXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_base = dir;
        m_tree = m_base + "/tree";
        m_sigs = MakeTestSignatures(m_base + "/signatures");
        std::filesystem::create_directories(m_tree);
        m_cmd.m_strJobName = m_strJob;
        m_cmd.m_strDirectory = m_tree;
        m_cmd.m_nFileSelection = 0;
        m_cmd.m_nLogMode = kLogDetailed;
        m_cmd.m_bReferenceCheck = false;
    }
    void TearDown() override { std::filesystem::remove_all(m_base); }

    // Writes a file of the tree, with the folders it needs.
    void Write(const std::string& rel, const std::string& content) {
        const std::string path = m_tree + "/" + rel;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }
    CScanPaths Paths() const { return CScanPaths::ForJob(m_base + "/state", m_cmd.m_strJobName); }

    std::string m_strJob;
    std::string m_base, m_tree, m_sigs;
    CScanCommand m_cmd;
};
