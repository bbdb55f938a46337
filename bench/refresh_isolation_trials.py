#!/usr/bin/env python3
"""Refresh isolation trials against real `rilo-server serve` processes on the embedded engine.

  refresh_isolation_trials.py shared-folder BINARY TRIALS
      Two processes whose stores share one local folder refresh at the same moment from two
      different head offices; counts trials where a store reported True but holds rows that
      are not its own head office's.
  refresh_isolation_trials.py moved-local BINARY TRIALS
      A StartUpdate naming another local folder is sent while a refresh runs; counts trials
      that leave ITSV registered on either folder.

Work folders go under /tmp/rilo-refresh-trials and are removed trial by trial.
"""
import json, os, random, shutil, sqlite3, subprocess, sys, threading, time

SEP = "\uff5c"
ROOT = "/tmp/rilo-refresh-trials"
def shared_folder(binary, trials):
    MARKED = {"产品类别": "产品类别", "服务类别": "服务类别", "员工职务": "员工职务", "用户信息": "用户姓名",
              "常用短信": "短信内容", "产品单位": "产品单位", "服务单位": "服务单位"}

    def make_template():
        tpl = ROOT + "/shared-folder/template"
        if os.path.exists(tpl + "/MB/HQ.db"):
            return tpl
        shutil.rmtree(tpl, ignore_errors=True)
        for name in ("MA", "MB"):
            subprocess.run([binary, "demo", "--dir", f"{tpl}/{name}", "--seconds", "1"],
                           stdout=subprocess.DEVNULL, check=True)
        db = sqlite3.connect(f"{tpl}/MB/HQ.db")
        for table, column in MARKED.items():
            db.execute(f"UPDATE {table} SET {column} = {column} || '·B'")
        db.commit(); db.close()
        return tpl

    def rows(path, table):
        db = sqlite3.connect(path)
        out = db.execute(f"SELECT * FROM {table} ORDER BY ID").fetchall()
        db.close()
        return out

    def classify(store, hq_own, hq_other):
        own = all(rows(store, t) == rows(hq_own, t) for t in MARKED)
        other = any(rows(store, t) == rows(hq_other, t) for t in MARKED)
        return "own" if own else ("OTHER" if other else "neither")

    def run_trial(tpl, n):
        d = f"{ROOT}/shared-folder/t{n}"
        shutil.rmtree(d, ignore_errors=True)
        shutil.copytree(tpl, d)
        os.makedirs(f"{d}/L")
        shutil.copy(f"{d}/MA/Store.db", f"{d}/L/StoreA.db")
        shutil.copy(f"{d}/MB/Store.db", f"{d}/L/StoreB.db")
        procs, results = {}, {}
        for who in ("A", "B"):
            p = subprocess.Popen([binary, "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, text=True, encoding="utf-8", bufsize=1)
            procs[who] = p
        def reader(who):
            for line in procs[who].stdout:
                m = json.loads(line)
                if m.get("event") == "TipsUpdate":
                    results[who] = m["Pd"]
                    return
        threads = [threading.Thread(target=reader, args=(w,), daemon=True) for w in procs]
        for t in threads: t.start()
        for who, p in procs.items():
            s = SEP.join([f"sqlite:{d}/M{who}", "", "", "HQ", f"sqlite:{d}/L", "", "", f"Store{who}"])
            p.stdin.write(json.dumps({"call": "StartUpdate", "MySetStr": s, "GetNetwork": True,
                                      "MyDpName": "中心店"}) + "\n")
            p.stdin.flush()
        for t in threads: t.join(120)
        for p in procs.values():
            p.stdin.close(); p.wait(10)
        verdict = {}
        for who, other in (("A", "B"), ("B", "A")):
            verdict[who] = (results.get(who), classify(f"{d}/L/Store{who}.db", f"{d}/M{who}/HQ.db",
                                                       f"{d}/M{other}/HQ.db"))
        left = sqlite3.connect(f"{d}/L/.linked_servers.db").execute(
            "SELECT count(*) FROM servers").fetchone()[0] if os.path.exists(f"{d}/L/.linked_servers.db") else 0
        shutil.rmtree(d, ignore_errors=True)
        return verdict, left

    tpl = make_template()
    bad = 0
    for n in range(trials):
        verdict, left = run_trial(tpl, n)
        wrong = any(pd is True and kind != "own" for pd, kind in verdict.values())
        bad += wrong
        print(n, verdict, "links left:", left, "WRONG" if wrong else "ok", flush=True)
    print(f"{bad} of {trials} trials: a store reported True with rows not its own head office's")


def moved_local(binary, trials):

    def links(folder):
        f = folder + "/.linked_servers.db"
        if not os.path.exists(f):
            return 0
        db = sqlite3.connect(f)
        n = db.execute("SELECT count(*) FROM servers").fetchone()[0]
        db.close()
        return n

    tpl = ROOT + "/moved-local/template"
    if not os.path.exists(tpl + "/L2/Store.db"):
        shutil.rmtree(tpl, ignore_errors=True)
        for name in ("L1", "L2"):
            subprocess.run([binary, "demo", "--dir", f"{tpl}/{name}", "--seconds", "1"],
                           stdout=subprocess.DEVNULL, check=True)
    random.seed(7)
    bad = 0
    for n in range(trials):
        d = f"{ROOT}/moved-local/t{n}"
        shutil.rmtree(d, ignore_errors=True)
        shutil.copytree(tpl, d)
        p = subprocess.Popen([binary, "serve"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, encoding="utf-8", bufsize=1)
        tips = []
        def reader():
            for line in p.stdout:
                m = json.loads(line)
                if m.get("event") == "TipsUpdate":
                    tips.append(m["Pd"])
        t = threading.Thread(target=reader, daemon=True); t.start()
        def call(local):
            s = SEP.join([f"sqlite:{d}/L1", "", "", "HQ", f"sqlite:{d}/{local}", "", "", "Store"])
            p.stdin.write(json.dumps({"call": "StartUpdate", "MySetStr": s, "GetNetwork": True,
                                      "MyDpName": "中心店"}) + "\n")
            p.stdin.flush()
        call("L1")
        time.sleep(2.0 + random.uniform(0.0, 0.12))
        call("L2")
        deadline = time.time() + 30
        while len(tips) < 2 and time.time() < deadline:
            time.sleep(0.05)
        p.stdin.close(); p.wait(10)
        left = (links(f"{d}/L1"), links(f"{d}/L2"))
        wrong = left != (0, 0)
        bad += wrong
        print(n, "tips", tips, "ITSV left (L1, L2):", left, "WRONG" if wrong else "ok", flush=True)
        shutil.rmtree(d, ignore_errors=True)
    print(f"{bad} of {trials} trials left ITSV behind")


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("shared-folder", "moved-local"):
        sys.exit(__doc__)
    mode = shared_folder if sys.argv[1] == "shared-folder" else moved_local
    mode(sys.argv[2], int(sys.argv[3]))
