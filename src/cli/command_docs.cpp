// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command_docs.h"

#include "cli/commands.h"

namespace evm::cli {

namespace {

std::string Joined(const std::vector<std::string>& words, const std::string& between = " ") {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : between) + w;
  return text;
}

std::vector<std::string> Names(const std::vector<CommandOption>& options, bool valuedOnly) {
  std::vector<std::string> names;
  for (const CommandOption& o : options) {
    if (!valuedOnly || o.kind != ValueKind::Flag) names.push_back(o.name);
  }
  return names;
}

std::vector<CommandOption> EveryOption() {
  std::vector<CommandOption> all = CommonOptions();
  for (const Command& c : Commands()) {
    for (const CommandOption& o : c.options) {
      bool seen = false;
      for (const CommandOption& a : all) seen = seen || a.name == o.name;
      if (!seen) all.push_back(o);
    }
  }
  return all;
}

// roff: a backslash and a minus are escaped, and a line must not start with
// a control character.
std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out.push_back(c);
    }
    lineStart = c == '\n';
  }
  return out;
}

std::string ManOptionHead(const CommandOption& o) {
  if (o.name == "--help") return ".BR \\-\\-help \", \" \\-h\n";
  if (o.kind == ValueKind::Flag) return ".B " + Roff(o.name) + "\n";
  return ".BI " + Roff(o.name) + " \" " + Roff(o.valueName) + "\"\n";
}

std::string ManOptionList(const std::vector<CommandOption>& options) {
  std::string text;
  for (const CommandOption& o : options) {
    text += ".TP\n" + ManOptionHead(o) + Roff(Joined(o.help)) + ".\n";
  }
  return text;
}

// zsh: a single-quoted word, and the characters _arguments gives a meaning.
std::string ZshQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

std::string ZshEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '[' || c == ']' || c == ':' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

std::string ZshAction(ValueKind kind, const std::vector<std::string>& choices) {
  switch (kind) {
    case ValueKind::File: return "_files";
    case ValueKind::Folder: return "_files -/";
    case ValueKind::Choice:
    case ValueKind::SimFault: {
      std::vector<std::string> escaped;
      escaped.reserve(choices.size());
      for (const std::string& c : choices) escaped.push_back(ZshEscaped(c));
      return "(" + Joined(escaped) + ")";
    }
    default: return " ";
  }
}

std::string ZshSpec(const CommandOption& o) {
  const std::string what = "[" + ZshEscaped(Joined(o.help)) + "]";
  if (o.name == "--help") return ZshQuoted("(-h --help)'{-h,--help}'" + what);
  if (o.kind == ValueKind::Flag) return ZshQuoted(o.name + what);
  return ZshQuoted(o.name + "=" + what + ":" + ZshEscaped(o.valueName) + ":" +
                   ZshAction(o.kind, o.choices));
}

}  // namespace

std::string BashCompletion() {
  std::vector<std::string> commands;
  for (const Command& c : Commands()) commands.push_back(c.name);
  std::string text =
      "# bash completion for evmctl, made from its command table  -*- shell-script -*-\n\n"
      "_evmctl() {\n"
      "  # BOARD:FAULT is one word, though bash splits it at the colon.\n"
      "  local -a words=()\n"
      "  local i cword=0\n"
      "  for ((i = 0; i < ${#COMP_WORDS[@]}; i++)); do\n"
      "    if ((i > 0 && ${#words[@]} > 0)) &&\n"
      "      [[ ${COMP_WORDS[i]} == : || ${COMP_WORDS[i - 1]} == : ]]; then\n"
      "      words[-1]+=${COMP_WORDS[i]}\n"
      "    else\n"
      "      words+=(\"${COMP_WORDS[i]}\")\n"
      "    fi\n"
      "    ((i == COMP_CWORD)) && cword=$((${#words[@]} - 1))\n"
      "  done\n"
      "  local cur=${words[cword]} prev=${words[cword - 1]}\n"
      "  local commands=\"" +
      Joined(commands) +
      "\"\n"
      "  local common=\"" +
      Joined(Names(CommonOptions(), false)) +
      "\"\n"
      "  local valued=\"" +
      Joined(Names(EveryOption(), true)) +
      "\"\n\n"
      "  case $prev in\n";
  for (const CommandOption& o : EveryOption()) {
    if (o.kind == ValueKind::Flag) continue;
    text += "    " + o.name + ")\n";
    switch (o.kind) {
      case ValueKind::Folder:
        text +=
            "      compopt -o filenames 2>/dev/null\n"
            "      COMPREPLY=($(compgen -d -- \"$cur\"))\n";
        break;
      case ValueKind::File:
        text +=
            "      compopt -o filenames 2>/dev/null\n"
            "      COMPREPLY=($(compgen -f -- \"$cur\"))\n";
        break;
      case ValueKind::Choice:
      case ValueKind::SimFault:
        text += "      COMPREPLY=($(compgen -W \"" + Joined(o.choices) +
                "\" -- \"$cur\"))\n"
                "      # Bash inserts after the colon: offer what follows it.\n"
                "      [[ $cur == *:* && $cur != \"${COMP_WORDS[COMP_CWORD]}\" ]] &&\n"
                "        COMPREPLY=(\"${COMPREPLY[@]#\"${cur%:*}:\"}\")\n";
        break;
      default: break;
    }
    text += "      return ;;\n";
  }
  text +=
      "  esac\n\n"
      "  # The command is the first word that is neither an option nor an option's value.\n"
      "  local i word command=\"\"\n"
      "  for ((i = 1; i < cword; i++)); do\n"
      "    word=${words[i]}\n"
      "    if [[ \" $valued \" == *\" $word \"* ]]; then\n"
      "      ((i++))\n"
      "    elif [[ $word != -* ]]; then\n"
      "      command=$word\n"
      "      break\n"
      "    fi\n"
      "  done\n\n"
      "  if [[ -z $command ]]; then\n"
      "    if [[ $cur == -* ]]; then\n"
      "      COMPREPLY=($(compgen -W \"$common\" -- \"$cur\"))\n"
      "    else\n"
      "      COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
      "    fi\n"
      "    return\n"
      "  fi\n\n"
      "  local own=\"\" files=\"\"\n"
      "  case $command in\n";
  for (const Command& c : Commands()) {
    text += "    " + c.name + ") own=\"" + Joined(Names(c.options, false)) + "\"" +
            (c.argKind == ValueKind::File ? " files=1" : "") + " ;;\n";
  }
  text +=
      "  esac\n"
      "  if [[ $cur == -* ]]; then\n"
      "    COMPREPLY=($(compgen -W \"$own $common\" -- \"$cur\"))\n"
      "  elif [[ -n $files ]]; then\n"
      "    compopt -o filenames 2>/dev/null\n"
      "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      "  fi\n"
      "}\n"
      "complete -F _evmctl evmctl\n";
  return text;
}

std::string ZshCompletion() {
  std::string text =
      "#compdef evmctl\n"
      "# zsh completion for evmctl, made from its command table\n\n"
      "_evmctl() {\n"
      "  local curcontext=$curcontext state line ret=1\n"
      "  local -a common commands\n"
      "  common=(\n";
  for (const CommandOption& o : CommonOptions()) text += "    " + ZshSpec(o) + "\n";
  text +=
      "  )\n"
      "  commands=(\n";
  for (const Command& c : Commands()) {
    text += "    " + ZshQuoted(ZshEscaped(c.name) + ":" + c.summary) + "\n";
  }
  text +=
      "  )\n"
      "  _arguments -C $common '1:command:->command' '*::argument:->argument' && ret=0\n"
      "  case $state in\n"
      "    command) _describe -t commands 'evmctl command' commands && ret=0 ;;\n"
      "    argument)\n"
      "      case $line[1] in\n";
  for (const Command& c : Commands()) {
    text += "        " + c.name + ") _arguments $common";
    for (const CommandOption& o : c.options) text += " " + ZshSpec(o);
    if (c.maxArgs > 0) {
      const std::string what = c.argKind == ValueKind::File ? "FILE:_files" : "argument: ";
      text += c.maxArgs == 1 ? " " + ZshQuoted("1:" + what) : " " + ZshQuoted("*:" + what);
    }
    text += " && ret=0 ;;\n";
  }
  text +=
      "      esac ;;\n"
      "  esac\n"
      "  return ret\n"
      "}\n\n"
      "_evmctl \"$@\"\n";
  return text;
}

std::string ManCommands() {
  std::string text;
  for (const Command& c : Commands()) {
    text += ".TP\n.B " + Roff(c.synopsis) + "\n" + Roff(c.help);
    if (!c.options.empty()) text += ".RS\n" + ManOptionList(c.options) + ".RE\n";
  }
  return text;
}

std::string ManOptions() {
  return ManOptionList(CommonOptions());
}

}  // namespace evm::cli
