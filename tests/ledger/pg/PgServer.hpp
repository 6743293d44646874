// SPDX-License-Identifier: GPL-3.0-or-later
// A PostgreSQL server of the test's own: Debian's binaries, a fresh cluster in a temporary
// folder, password logins on 127.0.0.1 at a free port. Run as nobody when the tests run as
// root, since the server refuses root. Only the server started here is stopped or killed.
#pragma once

#include "../../TempFolder.hpp"

#include <libpq-fe.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace logora::testing {

class PgServer {
  public:
    static constexpr const char* kAdminPassword = "admin-secret";

    PgServer() {
        bin_ = findBin();
        dir_ = makeTempFolder("logora-pg");
        data_ = dir_ / "data";
        std::filesystem::create_directories(data_);
        std::ofstream(dir_ / "pw") << kAdminPassword << "\n";
        if (geteuid() == 0) {
            for (const auto& p : {dir_, data_, dir_ / "pw"}) {
                if (chown(p.c_str(), 65534, 65534) != 0) {
                    throw std::runtime_error("chown " + p.string());
                }
            }
        }
        port_ = freePort();
        runAs({(bin_ / "initdb").string(), "-D", data_.string(), "-U", "admin",
               "--auth=scram-sha-256", "--pwfile=" + (dir_ / "pw").string(), "-E", "UTF8",
               "--locale=C.UTF-8", "--no-sync"});
        start();
    }
    ~PgServer() {
        stop();
        std::filesystem::remove_all(dir_);
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    int port() const { return port_; }
    std::string conninfo(const std::string& database, const std::string& user,
                         const std::string& password) const {
        return "host=127.0.0.1 port=" + std::to_string(port_) + " dbname=" + database +
               " user=" + user + " password=" + password;
    }
    std::string admin(const std::string& database = "postgres") const {
        return conninfo(database, "admin", kAdminPassword);
    }

    // Runs SQL as the administrator; the error's text, empty when it went.
    std::string sql(const std::string& statement, const std::string& database = "postgres") const {
        return sqlAs(admin(database), statement);
    }
    static std::string sqlAs(const std::string& conninfo, const std::string& statement) {
        PGconn* c = PQconnectdb(conninfo.c_str());
        std::string error;
        if (PQstatus(c) != CONNECTION_OK) {
            error = PQerrorMessage(c);
        } else {
            PGresult* r = PQexec(c, statement.c_str());
            const ExecStatusType s = PQresultStatus(r);
            if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
                error = PQresultErrorMessage(r);
            }
            PQclear(r);
        }
        PQfinish(c);
        return error;
    }
    // The first value of a query, as the administrator.
    std::string value(const std::string& query, const std::string& database) const {
        PGconn* c = PQconnectdb(admin(database).c_str());
        PGresult* r = PQexec(c, query.c_str());
        std::string out = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0
                              ? PQgetvalue(r, 0, 0)
                              : "error: " + std::string(PQresultErrorMessage(r));
        PQclear(r);
        PQfinish(c);
        return out;
    }

    void start() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        // A server killed a moment ago may leave its backends' shared memory for a little
        // while: started again until it answers.
        while (!accepting()) {
            if (pid_ <= 0 || waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = spawn({(bin_ / "postgres").string(), "-D", data_.string(), "-p",
                              std::to_string(port_), "-k", data_.string(), "-c",
                              "listen_addresses=127.0.0.1", "-c", "fsync=off"});
            }
            if (std::chrono::steady_clock::now() > until) {
                throw std::runtime_error("the test's PostgreSQL did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    // Stopped at once, the way a server ends when its machine is switched off.
    void kill() { end(SIGKILL); }
    void stop() { end(SIGINT); }
    // A server that takes connections and never answers them, and the same one going on.
    void pause() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }

  private:
    void end(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    bool accepting() const {
        const std::string keys =
            "host=127.0.0.1 port=" + std::to_string(port_) + " dbname=postgres connect_timeout=2";
        return PQping(keys.c_str()) == PQPING_OK;
    }
    static std::filesystem::path findBin() {
        for (const char* v : {"17", "16", "15", "14", "13"}) {
            const std::filesystem::path p =
                std::filesystem::path("/usr/lib/postgresql") / v / "bin";
            if (std::filesystem::exists(p / "postgres")) {
                return p;
            }
        }
        throw std::runtime_error("PostgreSQL's server is not installed (Debian: postgresql)");
    }
    static int freePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
        close(s);
        return ntohs(a.sin_port);
    }
    static pid_t spawn(const std::vector<std::string>& argv) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(126);
            }
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) {
                args.push_back(const_cast<char*>(a.c_str()));
            }
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        return pid;
    }
    static void runAs(const std::vector<std::string>& argv) {
        int status = 0;
        waitpid(spawn(argv), &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            throw std::runtime_error("initdb failed");
        }
    }

    std::filesystem::path bin_, dir_, data_;
    int port_ = 0;
    pid_t pid_ = -1;
};

} // namespace logora::testing
