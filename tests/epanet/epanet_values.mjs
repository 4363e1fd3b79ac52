// Prints, as one JSON object, what the reference solver of the .inp format computes for the first
// period of each .inp file given: every node's head and every link's flow and status, in the
// file's own units. Run by compare_epanet.py with EPANET_JS_DIR naming the npm prefix that holds
// node_modules/epanet-js.
import fs from "fs";
import { createRequire } from "module";

const require = createRequire(process.env.EPANET_JS_DIR + "/");
const { Project, Workspace, CountType, NodeProperty, LinkProperty, InitHydOption } =
    require("epanet-js");

const ws = new Workspace();
await ws.loadModule();
const results = {};
for (const file of process.argv.slice(2)) {
    const project = new Project(ws);
    ws.writeFile("net.inp", fs.readFileSync(file));
    const result = { nodes: {}, links: {} };
    try {
        project.open("net.inp", "net.rpt", "");
        project.openH();
        project.initH(InitHydOption.NoSave);
        project.runH();
        for (let i = 1; i <= project.getCount(CountType.NodeCount); ++i)
            result.nodes[project.getNodeId(i)] = project.getNodeValue(i, NodeProperty.Head);
        for (let i = 1; i <= project.getCount(CountType.LinkCount); ++i)
            result.links[project.getLinkId(i)] = {
                flow: project.getLinkValue(i, LinkProperty.Flow),
                status: project.getLinkValue(i, LinkProperty.Status),
            };
        project.closeH();
    } catch (error) {
        result.error = String(error.message || error);
    }
    try { project.close(); } catch (error) { /* nothing was opened */ }
    results[file] = result;
}
process.stdout.write(JSON.stringify(results) + "\n");
